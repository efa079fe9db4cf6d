#include "listfile.h"
