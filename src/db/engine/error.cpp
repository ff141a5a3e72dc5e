#include "db/engine/error.h"
