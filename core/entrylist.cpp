#include "entrylist.h"
