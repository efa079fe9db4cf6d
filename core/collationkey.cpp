#include "collationkey.h"
