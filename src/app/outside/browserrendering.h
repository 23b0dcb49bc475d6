#pragma once
// How the embedded browser, and with it the whole window, reaches the screen.
//
// A window that holds the browser is composited through OpenGL on every
// repaint, however small. Where OpenGL is only emulated on the processor (a
// computer without a graphics driver, a virtual machine, a remote or virtual
// display) that composition of the whole window costs more than the page
// itself: each status line repainted during a port test took about 10 ms. The
// browser engine itself refuses such renderers for its own compositing. There
// the window and the browser draw with the processor directly, which gives
// the same pixels without the emulated detour.
//
// Call once after the application object exists and before the first browser
// is made. A renderer chosen by the user (QT_QUICK_BACKEND, QSG_RHI_BACKEND)
// is kept.
void chooseBrowserRendering();

// True when OpenGL is missing or only emulated on the processor (by its
// renderer's name, as reported by the driver).
bool isSoftwareOpenGlRenderer(const char* rendererName);
