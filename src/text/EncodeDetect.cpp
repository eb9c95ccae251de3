#include "text/EncodeDetect.h"
