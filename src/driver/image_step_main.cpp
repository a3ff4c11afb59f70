#include "driver/ImageStep.h"

int main(int argc, char* argv[]) {
  return pelkaforge::RunImageStep(argc, argv);
}
