#include "qthostui.h"
