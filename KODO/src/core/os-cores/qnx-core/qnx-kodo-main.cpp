#include "qnx-kodo.h"

int main(int argc, char** argv) { return KDQ_Main(argc, argv); }
