#include "app_model/file_collection.h"

// Placeholder: implemented in its own change.
