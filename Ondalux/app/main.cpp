#include "ondalux2025App.h"

int main(int argc, char *argv[])
{
    return ondalux2025App::main(argc, argv);
}
