// The program: one main window and the message loop.
#include <windows.h>

#include "Forms.h"
#include "MainFormU.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Application->Initialize();
    Application->SetTitle("Чтение журналов приборов");
    Application->CreateForm(Form1);
    Application->Run();
    Application->DestroyComponents();
    return 0;
}
