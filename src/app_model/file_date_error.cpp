#include "app_model/file_date_error.h"

// Placeholder: implemented in its own change.
