#pragma once
// The loading bar on the window while the scenes load: a white bar growing inside a white outline,
// one presented frame per step.
class LoadingBar
{
public:
    static constexpr int kSteps = 16;

    // Step n (0 .. kSteps - 1): the bar from x = 40 to BarEnd(n), presented. The window is cleared
    // once, before the first step.
    void Show(int n);
    // The bar's right end in window pixels after step n: empty after the first, 925 after the last.
    static int BarEnd(int n) { return 40 + 59 * n; }

private:
    bool started = false;
};
