# Run by `cmake --install`: collects the program's private runtime into <folder>/lib, so the
# installed folder runs on another x86-64 Linux without Qt. What the program links, the Qt
# plugins it loads and chmlib (loaded by name when help opens, so no scan of the program finds
# it) travel with their dependencies. What every desktop system has and must be its own stays
# out: the C library, the compiler's runtime, the OpenGL/EGL driver stack, the X11 and xcb
# client libraries, the Wayland client libraries, fontconfig, freetype, the libraries the
# system's services speak through (D-Bus, CUPS) and the desktop's toolkit that its theme
# plugin loads (GTK with Pango, Cairo and their kin). Libraries are copied under their sonames as plain files: a FAT stick
# holds no links.
#
# Expects: QLY_FOLDER (the installed folder), QLY_PROGRAM (the built program),
# QLY_PLUGIN_SOURCE (Qt's plugin folder), QLY_PLUGINS (plugin files relative to it),
# QLY_EXTRA_LIBRARIES (libraries the program loads by name).

set(lib_dir "${QLY_FOLDER}/lib")
set(plugin_dir "${lib_dir}/plugins")

# The libraries the system provides, by soname (in the spirit of the AppImage exclude list).
set(system_libraries
    # The C library and the dynamic loader.
    "^ld-linux" "^libc\\.so" "^libm\\.so" "^libmvec\\.so" "^libdl\\.so" "^libpthread\\.so"
    "^librt\\.so" "^libresolv\\.so" "^libutil\\.so" "^libanl\\.so" "^libnss_" "^libthread_db"
    "^libBrokenLocale"
    # The compiler's runtime: the system's is at least as new as ours.
    "^libstdc\\+\\+\\.so" "^libgcc_s\\.so"
    # OpenGL and EGL come with the graphics driver.
    "^libGL\\.so" "^libGLX" "^libEGL" "^libOpenGL" "^libGLdispatch" "^libglapi" "^libdrm"
    "^libgbm" "^libxcb-(dri2|dri3|glx|present)\\.so"
    # The X11 and xcb client libraries speak to the system's display server.
    "^libX11" "^libxcb\\.so" "^libXau" "^libXdmcp" "^libXext" "^libXrender" "^libICE"
    "^libSM"
    # Wayland's client libraries speak to the system's compositor.
    "^libwayland-"
    # Fonts: the system's configuration and rasteriser.
    "^libfontconfig" "^libfreetype" "^libharfbuzz" "^libexpat" "^libz\\.so"
    # GLib and the system's services.
    "^libglib-2" "^libgobject-2" "^libgio-2" "^libdbus-1" "^libsystemd" "^libcups\\.so"
    "^libgpg-error" "^libp11-kit" "^libuuid" "^libcom_err"
    # The desktop's toolkit, loaded by its theme plugin: where it is missing, the theme is.
    "^libgtk-3" "^libgdk-3" "^libgdk_pixbuf" "^libpango" "^libcairo" "^libatk" "^libgmodule-2")

set(plugin_files "")
foreach(plugin IN LISTS QLY_PLUGINS)
    list(APPEND plugin_files "${QLY_PLUGIN_SOURCE}/${plugin}")
endforeach()

file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${QLY_PROGRAM}"
    LIBRARIES ${QLY_EXTRA_LIBRARIES}
    MODULES ${plugin_files}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    PRE_EXCLUDE_REGEXES ${system_libraries}
    POST_EXCLUDE_REGEXES "^${QLY_FOLDER}/")
if(unresolved)
    message(FATAL_ERROR "Libraries of the program that are not on this system: ${unresolved}")
endif()

# Copies FILE's content (links followed) to DEST as a plain file.
function(qly_put_file file dest)
    file(REAL_PATH "${file}" real)
    get_filename_component(dir "${dest}" DIRECTORY)
    get_filename_component(name "${dest}" NAME)
    file(MAKE_DIRECTORY "${dir}")
    message(STATUS "Installing: ${dest}")
    file(COPY_FILE "${real}" "${dir}/.${name}.new")
    file(CHMOD "${dir}/.${name}.new" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    file(RENAME "${dir}/.${name}.new" "${dest}")
endfunction()

foreach(library IN LISTS resolved QLY_EXTRA_LIBRARIES)
    get_filename_component(name "${library}" NAME)
    qly_put_file("${library}" "${lib_dir}/${name}")
endforeach()
foreach(plugin IN LISTS QLY_PLUGINS)
    qly_put_file("${QLY_PLUGIN_SOURCE}/${plugin}" "${plugin_dir}/${plugin}")
endforeach()
