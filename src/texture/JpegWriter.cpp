// JPEG compression through libjpeg.
//
// libjpeg reports a fatal error by calling error_exit, which must not return. Throwing a C++
// exception through libjpeg's C frames is undefined, so error_exit longjmps back to
// RunCompression, whose own locals are trivially destructible, and the error is raised only
// after control is back in ordinary C++ code. Everything libjpeg touches lives in one plain
// struct owned by the C++ caller, so nothing is clobbered by the jump and the output buffer is
// freed on every path.
#include "texture/JpegWriter.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

struct JpegError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Output into one growing malloc'd block.
struct MemoryDestination {
  jpeg_destination_mgr pub;
  unsigned char* data;
  size_t capacity;
  size_t size;
};

struct JpegJob {
  jpeg_compress_struct cinfo;
  JpegError error;
  MemoryDestination dest;
  const uint8_t* bgra;
  JDIMENSION width;
  JDIMENSION height;
  unsigned char* rows;  // kBatchRows rows of width * 3 bytes, where BGRX input is not available
};

constexpr JDIMENSION kBatchRows = 16;

void ErrorExit(j_common_ptr cinfo) {
  JpegError* error = reinterpret_cast<JpegError*>(cinfo->err);
  std::longjmp(error->jump, 1);
}

// The plug-in lives inside the editor: the library never writes to stderr.
void OutputMessage(j_common_ptr) {}

void FailOutOfMemory(j_compress_ptr cinfo) {
  cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
  cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
}

void InitDestination(j_compress_ptr cinfo) {
  MemoryDestination* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  if (!d->data) {
    // A compressed texture is rarely larger than a third of its RGB bytes.
    size_t guess = static_cast<size_t>(cinfo->image_width) * cinfo->image_height + 4096;
    d->data = static_cast<unsigned char*>(std::malloc(guess));
    if (!d->data) FailOutOfMemory(cinfo);
    d->capacity = guess;
  }
  d->pub.next_output_byte = d->data;
  d->pub.free_in_buffer = d->capacity;
}

// Called when the whole block is full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  MemoryDestination* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  size_t grown = d->capacity * 2;
  if (grown < d->capacity) FailOutOfMemory(cinfo);
  unsigned char* data = static_cast<unsigned char*>(std::realloc(d->data, grown));
  if (!data) FailOutOfMemory(cinfo);
  d->data = data;
  d->pub.next_output_byte = data + d->capacity;
  d->pub.free_in_buffer = grown - d->capacity;
  d->capacity = grown;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  MemoryDestination* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  d->size = d->capacity - d->pub.free_in_buffer;
}

// True when the image was compressed; otherwise job->error.pub.msg_code says why.
bool RunCompression(JpegJob* job) {
  if (setjmp(job->error.jump)) return false;

  jpeg_create_compress(&job->cinfo);
  job->cinfo.dest = &job->dest.pub;
  job->cinfo.image_width = job->width;
  job->cinfo.image_height = job->height;
#ifdef JCS_EXTENSIONS
  // libjpeg-turbo reads the bitmap's own blue-green-red-pad pixels and converts them to YCbCr
  // exactly as it converts red-green-blue ones, so the file is byte for byte the one that
  // 3-component RGB input gives, without a copy of every row.
  job->cinfo.input_components = 4;
  job->cinfo.in_color_space = JCS_EXT_BGRX;
#else
  job->cinfo.input_components = 3;
  job->cinfo.in_color_space = JCS_RGB;
#endif
  jpeg_set_defaults(&job->cinfo);
  job->cinfo.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&job->cinfo, 90, TRUE);
  jpeg_start_compress(&job->cinfo, TRUE);

  JSAMPROW pointers[kBatchRows];
  const size_t bgraStride = static_cast<size_t>(job->width) * 4;
  while (job->cinfo.next_scanline < job->height) {
    JDIMENSION batch = job->height - job->cinfo.next_scanline;
    if (batch > kBatchRows) batch = kBatchRows;
    for (JDIMENSION r = 0; r < batch; ++r) {
      const uint8_t* in = job->bgra + (job->cinfo.next_scanline + r) * bgraStride;
#ifdef JCS_EXTENSIONS
      pointers[r] = const_cast<unsigned char*>(in);
#else
      const size_t rgbStride = static_cast<size_t>(job->width) * 3;
      unsigned char* out = job->rows + r * rgbStride;
      pointers[r] = out;
      for (JDIMENSION x = 0; x < job->width; ++x, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
#endif
    }
    JDIMENSION written = jpeg_write_scanlines(&job->cinfo, pointers, batch);
    if (written != batch) {  // only a suspending destination writes less; ours never suspends
      job->error.pub.msg_code = JERR_CANT_SUSPEND;
      return false;
    }
  }
  jpeg_finish_compress(&job->cinfo);
  return true;
}

}  // namespace

std::string CompressJPEG(const uint8_t* bgra, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return std::string();

  std::vector<unsigned char> rows;
#ifndef JCS_EXTENSIONS
  rows.resize(static_cast<size_t>(width) * 3 * kBatchRows);
#endif
  JpegJob job;
  std::memset(&job, 0, sizeof job);
  job.cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = ErrorExit;
  job.error.pub.output_message = OutputMessage;
  job.dest.pub.init_destination = InitDestination;
  job.dest.pub.empty_output_buffer = EmptyOutputBuffer;
  job.dest.pub.term_destination = TermDestination;
  job.bgra = bgra;
  job.width = static_cast<JDIMENSION>(width);
  job.height = static_cast<JDIMENSION>(height);
  job.rows = rows.data();

  const bool ok = RunCompression(&job);
  const int code = job.error.pub.msg_code;
  char words[JMSG_LENGTH_MAX] = {};
  if (!ok) job.error.pub.format_message(reinterpret_cast<j_common_ptr>(&job.cinfo), words);
  jpeg_destroy_compress(&job.cinfo);
  std::unique_ptr<unsigned char, void (*)(void*)> output(job.dest.data, std::free);
  if (!ok) throw EJPEG(code, words);
  return std::string(reinterpret_cast<const char*>(output.get()), job.dest.size);
}
