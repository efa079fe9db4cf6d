#include "entrytext.h"
