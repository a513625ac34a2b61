#include "services/CommandLine.h"
