/* The peer of the BMP goal: reads a picture with stb_image and writes it as a BMP file with
 * stb_image_write, as `panelwright-cli convert IN OUT.bmp` does with ours. */
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: stb_peer IN OUT.bmp\n");
    return 2;
  }
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load(argv[1], &width, &height, &channels, 0);
  if (pixels == NULL) return 1;
  const int ok = stbi_write_bmp(argv[2], width, height, channels, pixels);
  stbi_image_free(pixels);
  return ok ? 0 : 1;
}
