#!powershell
#AnsibleRequires -CSharpUtil Ansible.Basic

# Makes the folder the package is staged in, or accepts one found there only
# when SYSTEM and Administrators alone control it. An ordinary user can create
# folders in C:\Windows\Temp: one who made (or linked) the staging folder
# first could swap the package between the copy and the install, and it would
# run as SYSTEM.
$spec = @{
    options = @{
        path = @{ type = 'path'; required = $true }
    }
    supports_check_mode = $false
}
$module = [Ansible.Basic.AnsibleModule]::Create($args, $spec)
$path = $module.Params.path

# SYSTEM and Administrators: the only owners and writers trusted.
$trusted = @('S-1-5-18', 'S-1-5-32-544')
# Rights that change a folder or what it holds: add file, add folder,
# extended attributes, delete child, attributes, delete, change permissions,
# take ownership, generic all, generic write.
$writeRights = 0x500D0156

# Why the folder cannot be trusted, or $null.
function Get-Distrust([string]$Path) {
    $item = Get-Item -LiteralPath $Path -Force
    if ($item.Attributes -band [IO.FileAttributes]::ReparsePoint) { return 'it is a link' }
    if (-not $item.PSIsContainer) { return 'it is no folder' }
    $acl = Get-Acl -LiteralPath $Path
    $owner = $acl.GetOwner([Security.Principal.SecurityIdentifier]).Value
    if ($trusted -notcontains $owner) { return "it belongs to $owner" }
    foreach ($rule in $acl.GetAccessRules($true, $true, [Security.Principal.SecurityIdentifier])) {
        if ($rule.AccessControlType -ne 'Allow') { continue }
        if ($rule.PropagationFlags -band [Security.AccessControl.PropagationFlags]::InheritOnly) { continue }
        if (([int]$rule.FileSystemRights -band $writeRights) -and ($trusted -notcontains $rule.IdentityReference.Value)) {
            return "$($rule.IdentityReference.Value) may change it"
        }
    }
    return $null
}

$created = $false
if (-not (Test-Path -LiteralPath $path)) {
    # Created with its access list in one step: nothing inherited, full
    # control for SYSTEM and Administrators, nobody else.
    $security = New-Object System.Security.AccessControl.DirectorySecurity
    $security.SetSecurityDescriptorSddlForm('D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)')
    [void][System.IO.Directory]::CreateDirectory($path, $security)
    $created = $true
}
# Checked after creating too: a folder somebody made in the moment between
# the look and the creation is refused like one that was there before. Once
# accepted nobody else can change it, so the check holds for the install.
$reason = Get-Distrust $path
if ($null -ne $reason) {
    $module.FailJson("refusing the staging folder ${path}: $reason; remove it or give it to SYSTEM and Administrators alone")
}
$module.Result.changed = $created
$module.Result.path = $path
$module.ExitJson()
