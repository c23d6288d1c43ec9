#pragma once

#include "app_model/background_work.h"

namespace vellumark::bindings {

// Hands work back to the application's event loop: each function runs on the GUI thread, in the order
// handed over, on a later pass of the loop.
HandBack eventLoopHandBack();

}  // namespace vellumark::bindings
