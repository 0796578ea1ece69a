#pragma once

#include "scan/bytes.h"
