#pragma once

#include "model/uuid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellumark {

// The outcome of one apply run. `errors` holds one text per failed item, in list order.
struct ProcessResult {
    Uuid id = Uuid::random();
    std::int64_t succeeded = 0;
    std::int64_t failed = 0;
    std::vector<std::string> errors;
};

}  // namespace vellumark
