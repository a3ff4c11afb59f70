#ifndef DATATYPE_H
#define DATATYPE_H

typedef unsigned char tUBYTE;

#endif
