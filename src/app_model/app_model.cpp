#include "app_model/app_model.h"

// Placeholder: implemented in its own change.
