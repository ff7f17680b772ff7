/* The limit an extraction of one deflated entry can reach: zlib's own raw
 * inflate and CRC-32 of the entry's compressed bytes, all in memory, into a
 * 1 MiB buffer, nothing written. Prints the best of RUNS in milliseconds.
 *   inflate_reference DEFLATE_FILE SIZE CRC RUNS
 * DEFLATE_FILE holds the entry's raw deflate data; SIZE and CRC (decimal)
 * are the entry's, checked after every run. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <zlib.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: inflate_reference DEFLATE_FILE SIZE CRC RUNS\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) return 2;
  fseek(f, 0, SEEK_END);
  long in_size = ftell(f);
  fseek(f, 0, SEEK_SET);
  unsigned char* in = malloc(in_size);
  if (!in || fread(in, 1, in_size, f) != (size_t)in_size) return 2;
  fclose(f);
  unsigned long size = strtoul(argv[2], NULL, 10), crc_want = strtoul(argv[3], NULL, 10);
  int runs = atoi(argv[4]);
  enum { kOut = 1 << 20 };
  unsigned char* out = malloc(kOut);
  double best = -1;
  for (int r = 0; r < runs; ++r) {
    double t0 = now_ms();
    z_stream z = {0};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 2;
    z.next_in = in;
    z.avail_in = (uInt)in_size;
    unsigned long crc = crc32(0, Z_NULL, 0), total = 0;
    int status = Z_OK;
    while (status == Z_OK) {
      z.next_out = out;
      z.avail_out = kOut;
      status = inflate(&z, Z_SYNC_FLUSH);
      crc = crc32(crc, out, kOut - z.avail_out);
      total += kOut - z.avail_out;
    }
    inflateEnd(&z);
    double ms = now_ms() - t0;
    if (status != Z_STREAM_END || total != size || crc != crc_want) {
      fprintf(stderr, "inflate_reference: the entry did not inflate to its size and CRC\n");
      return 1;
    }
    if (best < 0 || ms < best) best = ms;
  }
  printf("%.0f\n", best);
  return 0;
}
