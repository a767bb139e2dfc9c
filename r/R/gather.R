# Many runs in one long table: the summaries of a simulation study or an ensemble, read one after
# another or on the nodes of a cluster, into the long form of scantelk_compare().

#' Gather many runs into one long table
#'
#' Reads many summary files, in this session or on the nodes of a cluster,
#' into the long form that \code{\link{scantelk_compare}} gives: the runs of a
#' simulation study or an ensemble in one data frame.
#'
#' The files are read in this session, or, given \code{cl}, on the cluster's
#' nodes (the package must be installed there); the data frame is the same
#' either way. Only the summaries are read, not a fits CSV beside one, which
#' the long form does not hold. A file that cannot be read stops the gather
#' with an error that names it. With \code{progress}, a \code{\link[utils]{txtProgressBar}} on
#' standard error counts the files when there are more than 100 and the
#' session is interactive.
#'
#' @param paths a character vector of summary file paths, or one glob pattern
#'   such as \code{"runs/*.tmp"}, whose matches are taken in sorted order.
#' @param names the runs' names; by default the file names without their
#'   extension. A name given to two files is refused, naming both.
#' @param cl a cluster from the \pkg{parallel} package, such as
#'   \code{parallel::makeCluster(4)}; \code{NULL} reads in this session.
#' @param progress whether to show a progress bar.
#' @return The long form of all runs, as \code{\link{scantelk_compare}} gives
#'   it: a first column \code{run}, a factor of the names, and the runs in the
#'   order of \code{paths}.
#' @seealso \code{\link{scantelk_quantiles}} and \code{\link{plot_ensemble}}
#'   for what an ensemble gives.
#' @examples
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- scantelk_gather(file.path(folder, "*.tmp"))
#' table(runs$run)
#' @export
scantelk_gather <- function(paths, names = NULL, cl = NULL, progress = TRUE) {
  files <- expand_paths(paths)
  names <- run_names(files, names)
  bar <- if (progress && interactive() && length(files) > 100) {
    utils::txtProgressBar(max = length(files), style = 3, file = stderr())
  }
  if (!is.null(bar)) on.exit(close(bar))
  runs <- if (is.null(cl)) read_serially(files, bar) else read_on_cluster(cl, files, bar)
  failed <- Find(function(run) inherits(run, "error"), runs)
  if (!is.null(failed)) stop(conditionMessage(failed), call. = FALSE)
  long_frame(runs, names)
}

expand_paths <- function(paths) {
  if (length(paths) == 1 && grepl("[*?[]", paths)) {
    files <- sort(Sys.glob(paths))
    if (length(files) == 0) stop(sprintf("no file matches %s", paths), call. = FALSE)
    return(files)
  }
  as.character(paths)
}

# The runs' names: `names`, or each file's name without its extension; each given once.
run_names <- function(files, names) {
  if (is.null(names)) {
    names <- tools::file_path_sans_ext(basename(files))
  } else if (length(names) != length(files)) {
    stop(sprintf("%d names for %d files", length(names), length(files)), call. = FALSE)
  }
  twice <- anyDuplicated(names)
  if (twice > 0) {
    first <- match(names[twice], names)
    stop(sprintf("two runs are named \"%s\": %s and %s", names[twice], files[first],
                 files[twice]), call. = FALSE)
  }
  as.character(names)
}

# A summary's long form as vectors, or the error that reading it gave, naming the file. Errors
# come back as values, so that a node's error reads as the session's own would.
read_long <- function(path) {
  tryCatch({
    if (!file.exists(path)) stop(sprintf("%s: No such file or directory", path), call. = FALSE)
    long_columns(read_summary(path))
  }, error = function(error) error)
}

read_serially <- function(files, bar) {
  runs <- vector("list", length(files))
  for (k in seq_along(files)) {
    runs[[k]] <- read_long(files[k])
    if (inherits(runs[[k]], "error")) break
    if (!is.null(bar)) utils::setTxtProgressBar(bar, k)
  }
  runs
}

# The files go out in rounds of a few per node, so that the bar moves and a failing file stops
# the rounds after it.
read_on_cluster <- function(cl, files, bar) {
  round_size <- 4 * length(cl)
  rounds <- split(seq_along(files), ceiling(seq_along(files) / round_size))
  runs <- vector("list", length(files))
  for (round in rounds) {
    runs[round] <- parallel::parLapply(cl, files[round], read_long)
    if (any(vapply(runs[round], inherits, logical(1), "error"))) break
    if (!is.null(bar)) utils::setTxtProgressBar(bar, max(round))
  }
  runs
}
