// Everything the end-to-end tests share: scratch directories, running a program, whole-file
// reads and writes, and the WAV writer for test inputs.
#pragma once

#include "file_io.h"
#include "run_program.h"
#include "temp_dir.h"
#include "wav_writer.h"
