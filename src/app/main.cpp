#include "app/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return qx::TheApp().Run(); }
