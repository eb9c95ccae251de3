#include "csv/Csv.h"
