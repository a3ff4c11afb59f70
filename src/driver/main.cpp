#include "driver/ImageConverter.h"

int main(int argc, char* argv[]) {
  return pelkaforge::RunImageConverter(argc, argv);
}
