#include "tools/standin.h"
