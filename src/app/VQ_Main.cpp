// Entry of the piece.
#include "app/Player.h"

int main(int argc, char** argv) { return VQ_Main(argc, argv); }
