// What the tests and the test service program agree on.
#pragma once

#include <windows.h>

// A user-defined control the test service always honours by stopping, so that a test can
// end a service that accepts no stop.
constexpr DWORD test_service_control_quit = 200;
