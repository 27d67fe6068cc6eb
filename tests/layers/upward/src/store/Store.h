#pragma once
#include "dataset/Upward.h"
