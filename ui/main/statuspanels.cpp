#include "statuspanels.h"
