#include "store_fixture.h"
