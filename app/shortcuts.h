#pragma once
// The main window's keyboard shortcuts. Menu and toolbar commands get their
// keys on their own actions, so a key does exactly what the item or button
// does and is off whenever it is disabled; the keys show beside the menu
// items and in the toolbar's tooltips. The slider's keys step the slider as
// its own keys do, whatever child of the window has the focus. All are
// window shortcuts: an open dialog, being another window, takes none.
class CMainFrame;

void InstallShortcuts(CMainFrame& frame);
