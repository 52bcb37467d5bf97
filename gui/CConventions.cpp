#include "CConventions.h"

const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";
