#include "commondialog.h"
