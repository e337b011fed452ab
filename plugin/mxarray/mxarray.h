/* The argument arrays passed between the library and the export plug-in, and
 * between the library and a host program through the library's C interface
 * (include/tarvio/tarvio.h): a tiny C interface (sizes, real and imaginary
 * parts, texts, the 32-bit integer class, records and lists, error raising)
 * that the plug-in links against instead of anything of the library.
 *
 * Arrays are column-major matrices of one class: double (real, or complex
 * with a separate imaginary part), char (a text, 1 x length) or int32; or a
 * record (1 x 1, named fields in order, each holding an array) or a list
 * (1 x n, each item an array).
 *
 * Error raising. mx_raise() does not return: it unwinds to the mx_call()
 * that started the plug-in by throwing a C++ exception private to this
 * library. Every frame between them therefore runs its destructors, so a
 * plug-in that keeps its buffers and temporary files in objects frees them
 * on that path too. mx_call() is the only supported way to run a plug-in
 * entry point; the entry point must be compiled as C++ (or as C with
 * unwind tables, -fexceptions). A longjmp-style escape was rejected because
 * it would skip those destructors.
 *
 * Ownership. Arrays given to an entry point as inputs belong to the caller
 * and are read-only there. Arrays an entry point stores into its outputs
 * belong to the caller once mx_call() returns 0; when the entry point
 * raises an error, mx_call() destroys whatever outputs were already stored. */
#ifndef TARVIO_MXARRAY_H
#define TARVIO_MXARRAY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray mxArray;

typedef enum { MX_DOUBLE = 1, MX_CHAR = 2, MX_INT32 = 3, MX_STRUCT = 4, MX_CELL = 5 } mx_class;

/* Entry point of a plug-in: nlhs results wanted, nrhs inputs. */
typedef void (*mx_entry)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

/* Creation. Element storage is zero-filled. Return NULL when out of memory. */
mxArray* mx_create_double(size_t rows, size_t cols, int complex_flag);
mxArray* mx_create_scalar(double x);
mxArray* mx_create_text(const char* text);
mxArray* mx_create_int32(size_t rows, size_t cols);
mxArray* mx_create_struct(void);         /* a record without fields */
mxArray* mx_create_cell(size_t n);       /* a list of n empty matrices */
mxArray* mx_duplicate(const mxArray* a); /* a deep copy */
void mx_destroy(mxArray* a);             /* NULL is allowed; a record or list with all it holds */

/* Records. mx_set_field adds the field at the end, or replaces the value
 * of a field of that name; the record takes ownership of value (also when
 * it fails). Return 0, or -1 when a is no record or memory ran out. The
 * getters return arrays the record still owns, or NULL. */
int mx_set_field(mxArray* a, const char* name, mxArray* value);
int mx_field_count(const mxArray* a);               /* -1 when a is no record */
const char* mx_field_name(const mxArray* a, int k); /* 0-based */
mxArray* mx_field_at(const mxArray* a, int k);
mxArray* mx_get_field(const mxArray* a, const char* name);

/* Lists: the same ownership rules; k is 0-based. */
int mx_set_cell(mxArray* a, size_t k, mxArray* value);
mxArray* mx_get_cell(const mxArray* a, size_t k);

/* Shape and class. */
mx_class mx_class_of(const mxArray* a);
size_t mx_rows(const mxArray* a);
size_t mx_cols(const mxArray* a);
size_t mx_numel(const mxArray* a);
int mx_is_complex(const mxArray* a);

/* Element storage (column-major). mx_real and mx_imag are for double
 * arrays (mx_imag is NULL for a real array), mx_int32 for int32 arrays;
 * each returns NULL for any other class. */
double* mx_real(const mxArray* a);
double* mx_imag(const mxArray* a);
int32_t* mx_int32(const mxArray* a);

/* Copies a char array's text into buf (at most buflen - 1 characters, always
 * terminated). Returns the full length of the text, or -1 when the array is
 * not text or buf is NULL/buflen 0. */
long mx_text(const mxArray* a, char* buf, size_t buflen);

/* Raises an error with the given message; does not return (see above). */
#ifdef __cplusplus
[[noreturn]]
#endif
void mx_raise(const char* message);

/* Runs an entry point; plhs must have room for max(nlhs, 1) arrays. Returns 0 on success; otherwise 1 with the raised
 * message (or the text of an escaping C++ exception; an allocation failure
 * gives "bad allocation") copied into err (at most errlen - 1 characters). */
int mx_call(mx_entry fn, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], char* err, size_t errlen);

#ifdef __cplusplus
}
#endif

#endif
