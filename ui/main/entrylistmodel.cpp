#include "entrylistmodel.h"
