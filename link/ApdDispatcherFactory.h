#pragma once
// How a port gets its dispatcher: one factory, defined by the device layer the
// build picked (TApdPosixDispatcher or TApdWin32Dispatcher). The deleter ends
// the worker threads and closes the device before any part of a layer is torn
// down, so no thread ever calls into a half-destroyed layer.
#include <memory>

class TApdBaseDispatcher;

struct TDispatcherDeleter {
    void operator()(TApdBaseDispatcher* dispatcher) const;
};
using TDispatcherPtr = std::unique_ptr<TApdBaseDispatcher, TDispatcherDeleter>;

TDispatcherPtr CreatePlatformDispatcher();
