#pragma once
// The dispatcher's three worker threads: TComThread waits for device events,
// TDispThread reads input and delivers notices, TOutThread writes output.
#include <thread>

class TApdBaseDispatcher;

class TApdDispatcherThread {
  public:
    explicit TApdDispatcherThread(TApdBaseDispatcher& dispatcher) : D(dispatcher) {}
    virtual ~TApdDispatcherThread();
    void Start();

  protected:
    virtual void Execute() = 0;
    // The signal that tells a stopping thread this one has ended.
    virtual unsigned EndedSignal() const = 0;
    TApdBaseDispatcher& D;

  private:
    void Run();
    std::thread Thread;
};

class TComThread : public TApdDispatcherThread {
    using TApdDispatcherThread::TApdDispatcherThread;
    void Execute() override;
    unsigned EndedSignal() const override;
};

class TDispThread : public TApdDispatcherThread {
    using TApdDispatcherThread::TApdDispatcherThread;
    void Execute() override;
    unsigned EndedSignal() const override;
};

class TOutThread : public TApdDispatcherThread {
    using TApdDispatcherThread::TApdDispatcherThread;
    void Execute() override;
    unsigned EndedSignal() const override;
};
