#pragma once
// A dataset file that reaches up into the store: the layer check must refuse it.
#include "store/Store.h"
