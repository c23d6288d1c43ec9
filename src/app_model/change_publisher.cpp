#include "app_model/change_publisher.h"

// Placeholder: implemented in its own change.
