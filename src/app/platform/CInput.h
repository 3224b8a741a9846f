#pragma once
// Keyboard and mouse state, indexed by the piece's virtual-key codes (Escape 27, Page Up 33,
// arrows 37..40, F1..F12 112..123, letters and digits as their upper-case ASCII). The window fills it from
// its events; scenes poll it with Pressed.

enum : int
{
    VK_ESCAPE = 27,
    VK_PRIOR = 33,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_F1 = 112
};

class CInput
{
public:
    CInput();
    // keys[key] = down. Codes outside 0..255 are ignored.
    void SetKey(int key, bool down);
    int Pressed(int key) const;
    // Presses (not auto-repeats) counted as they arrive, so that a tap shorter than a frame, down
    // and up again before the frame looks at keys, is still seen once: true when key was pressed
    // since the last call, which forgets them.
    void CountPress(int key);
    bool TakePress(int key);

    unsigned char keys[256];
    unsigned char presses[256];
    int mouseX = 0, mouseY = 0;
};

extern CInput input;
