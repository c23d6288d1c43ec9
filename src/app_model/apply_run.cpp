#include "app_model/apply_run.h"

// Placeholder: implemented in its own change.
