// The notice window on Windows: a hidden message-only window on the
// user-interface thread. The dispatch thread hands a notice with
// SendMessageTimeoutA in block mode, which returns when the handler has
// returned or the wait has run out; CloseComplete is a posted message. Any
// message loop of the thread serves it, Qt's included.
#include "ApdExceptions.h"
#include "ApdNoticeWindow.h"

#include <windows.h>

namespace {

constexpr UINT NoticeMessage = WM_APP + 1;
constexpr UINT CloseCompleteMessage = WM_APP + 2;
constexpr UINT DeleteMessage = WM_APP + 3;
constexpr UINT_PTR CloseCompleteTimer = 1;
constexpr char ClassName[] = "OrvixNoticeWindow";

class TWin32NoticeWindow;
// The innermost delivery of ours on this thread's stack.
thread_local TWin32NoticeWindow* InnermostDelivery = nullptr;

class TWin32NoticeWindow : public TApdNoticeWindow {
  public:
    explicit TWin32NoticeWindow(TApdCustomComPort& port) : TApdNoticeWindow(port) {
        static const ATOM registered = [] {
            WNDCLASSA c{};
            c.lpfnWndProc = Proc;
            c.hInstance = GetModuleHandleA(nullptr);
            c.lpszClassName = ClassName;
            return RegisterClassA(&c);
        }();
        Window = registered ? CreateWindowExA(0, ClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                              nullptr, GetModuleHandleA(nullptr), nullptr)
                            : nullptr;
        if (!Window) throw EOutOfMemory();
        SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TWin32NoticeWindow() override {
        SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        DestroyWindow(Window);
    }

  protected:
    void WakeAndWait(const std::shared_ptr<TNoticeTicket>&, int timeoutMs) override {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(Window, NoticeMessage, 0, 0, SMTO_BLOCK, static_cast<UINT>(timeoutMs),
                            &result);
    }
    void PostCloseCompleteEvent(int delayMs) override {
        if (delayMs <= 0)
            PostMessageA(Window, CloseCompleteMessage, 0, 0);
        else
            SetTimer(Window, CloseCompleteTimer, static_cast<UINT>(delayMs), nullptr);
    }
    void DeleteLater() override { PostMessageA(Window, DeleteMessage, 0, 0); }
    // The port is destroyed from inside its own handler: the dispatch thread,
    // still in SendMessageTimeoutA, must be let go before its end is awaited.
    void ReleaseDispatchThread() override {
        if (InnermostDelivery == this && InSendMessage()) ReplyMessage(0);
    }

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self =
            reinterpret_cast<TWin32NoticeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self) return DefWindowProcA(window, message, wParam, lParam);
        switch (message) {
        case NoticeMessage: {
            TWin32NoticeWindow* outer = InnermostDelivery;
            InnermostDelivery = self;
            self->TakeNotices();
            InnermostDelivery = outer;
            return 0;
        }
        case WM_TIMER:
            KillTimer(window, wParam);
            self->CloseCompleteArrived();
            return 0;
        case CloseCompleteMessage:
            self->CloseCompleteArrived();
            return 0;
        case DeleteMessage:
            delete self;
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    HWND Window = nullptr;
};

} // namespace

std::unique_ptr<TApdNoticeWindow> TApdNoticeWindow::Create(TApdCustomComPort& port) {
    return std::make_unique<TWin32NoticeWindow>(port);
}
