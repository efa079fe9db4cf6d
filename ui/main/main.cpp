// Lexivorn's entry. All it does is in runProgram(), which the start-up
// benchmark runs too.

#include "mainwindow/program.h"

int main(int argc, char *argv[])
{
    return runProgram(argc, argv);
}
