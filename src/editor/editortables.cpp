// The input columns of a list row: where each sits and which characters it takes.
#include "stepeditor.h"

const InputColumn InputColumns[3] = {
    {4, 2, " 0123456789ABCDEFabcdef"},
    {7, 2, " 0123456789ABCDEFabcdef"},
    {22, 3, " 1234567#ABCDEFGabcdefg"},
};
