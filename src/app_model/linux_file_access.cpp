#include "app_model/linux_file_access.h"

// Placeholder: implemented in its own change.
