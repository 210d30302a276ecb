// Downloads one song the way the page does, so that a test can kill a download midway.
//   song_download_probe <url> <folder> <title>
#include "pages/song_search/download.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  return tfx::save_download(argv[1], argv[2], tfx::download_file_name(argv[3])).ok() ? 0 : 1;
}
