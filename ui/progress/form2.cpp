#include "form2.h"
