// The fixture is all in its header; built on its own here, the header must include what it uses.
#include "support/WindowFixture.h"
