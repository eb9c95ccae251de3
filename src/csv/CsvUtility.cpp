#include "csv/CsvUtility.h"
