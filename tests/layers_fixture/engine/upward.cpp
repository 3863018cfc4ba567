// An engine file that includes a window header: the layer check refuses it.
#include "app/progress.h"
