#pragma once
// Program start and end: the four windows, created in their order.

// Sets up fonts, style and the error display; call once after QApplication.
void InitializeApplication();
// Creates the four windows; the first is the application's main window.
void CreateForms();
// Destroys them with what they own (a port still open is closed).
void DestroyForms();
