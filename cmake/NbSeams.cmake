# Each seam has one implementation per platform, told apart by the end of its file name.
# Shared by the launcher's build and the fuzz build, so both leave out the same files.
set(NB_LINUX_SOURCES_REGEX "_(posix|curl|tinyxml2|iconv|openssl)\\.cpp$")
set(NB_WINDOWS_SOURCES_REGEX "_(win32|wininet|xmllite|bcrypt|gcrypt)\\.cpp$")
