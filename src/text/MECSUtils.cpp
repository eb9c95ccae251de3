#include "text/MECSUtils.h"
