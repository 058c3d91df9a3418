#pragma once
// Colours live with the other plain values.
#include "host/Value.h"
