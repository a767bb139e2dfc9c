#ifndef SCANTELK_FIELDS_H
#define SCANTELK_FIELDS_H

/* Every number of a per-year block takes a field of 16 bytes, its separator space included;
   the number itself, d.ddddddE+ddd, is 13 bytes, one more with a minus sign. */
enum { FIELD_WIDTH = 16, NUMBER_LENGTH = 13 };

/* Parses one field as the writer pads it: the number first and spaces after it, or (right
   justified) spaces, the number and one space. Returns 0 when the field is in no other form. */
int parse_field(const unsigned char* field, int right_justified, double* value);

#endif
