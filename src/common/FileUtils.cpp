#include "common/FileUtils.h"
