#ifndef PELKAFORGE_DRIVER_IMAGESTEP_H_
#define PELKAFORGE_DRIVER_IMAGESTEP_H_

namespace pelkaforge {

// The whole run of pelkaforge-image, the build step: converts the image
// named on the command line into the output file it names, with the bytes
// Pelkaforge writes for the image once padded, and the names and header the
// options ask for. The image is only read, and padded as it is read; the
// outputs are replaced only by complete files. Returns 0 when they were
// written; every failure ends the process with status 1.
int RunImageStep(int argc, char* argv[]);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGESTEP_H_
